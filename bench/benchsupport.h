// What the benchmarks share: a clock, a median, and running a reference
// tool with its output dropped.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

inline double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs a program, its output dropped; returns its peak resident size in KB,
// or -1 when it could not run or failed.
inline long runTool(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    if (rc != 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

// A form of about `bytes` bytes of Korean rows, form.xml, and the XSL that
// lays its rows out as a table, form.xsl, in `dir`.
inline void writeForm(const std::string& dir, size_t bytes) {
    std::ofstream xml(dir + "/form.xml");
    xml << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<form>\n";
    const std::string row =
        "  <row><name>홍길동</name><addr>서울특별시 종로구 세종대로 209</addr></row>\n";
    for (size_t written = 0; written < bytes; written += row.size()) {
        xml << row;
    }
    xml << "</form>\n";
    std::ofstream(dir + "/form.xsl")
        << "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
           "<xsl:output method=\"html\" encoding=\"utf-8\"/><xsl:template match=\"/\"><html>"
           "<body><table><xsl:for-each select=\"form/row\"><tr><td><xsl:value-of "
           "select=\"name\"/></td><td><xsl:value-of select=\"addr\"/></td></tr>"
           "</xsl:for-each></table></body></html></xsl:template></xsl:stylesheet>";
}

}  // namespace bench
