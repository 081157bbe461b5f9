// Helpers the tests share: temporary folders, running real tools, files.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under $TMPDIR, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs a program with arguments (no shell), standard input from `input`;
// returns its exit status, or -1 when it could not run. Its output goes to
// `output` when given, else is dropped.
int run(const std::vector<std::string>& argv, const std::string& input = {},
        std::string* output = nullptr);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool exists(const std::string& path);
std::string realNpki(const std::string& name);

}  // namespace testsupport
