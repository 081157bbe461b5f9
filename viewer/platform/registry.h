// A read-only view of a registry hive kept in Wine's text format
// ("user.reg" for the current user, "system.reg" for the machine).
//
// The file starts with "WINE REGISTRY Version 2"; ";" lines are comments
// and "#" lines options. Each key is a section, "[Software\\Wine\\Drives]
// 1796962103": the path with doubled backslashes, then a modification time.
// Parents are implied where only a leaf is written. Values follow, one to a
// line: "name"= or @= (the default value), then "text" (REG_SZ),
// str(N):"text", dword:XXXXXXXX, hex:aa,bb,... or hex(N):aa,... where a
// trailing "\" continues the bytes on the next line. Strings and names
// carry the escapes \\ \" \a \b \e \f \n \r \t \v, octal \NNN (one to
// three digits) and \x with one to four hex digits for a UTF-16 code unit.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace platform {

class Registry {
public:
    enum Type : quint32 {
        kNone = 0,
        kString = 1,
        kExpandString = 2,
        kBinary = 3,
        kDword = 4,
        kMultiString = 7,
    };

    struct Value {
        quint32 type = kNone;
        // The data as Windows keeps it: strings in UTF-16LE with their
        // terminating zero.
        QByteArray data;
    };

    // The hive in the host file `hostFile`. A file that is missing, cannot
    // be read or has no "WINE REGISTRY Version 2" header gives an empty
    // hive; a line that does not parse is skipped, as Wine skips it.
    static Registry load(const QString& hostFile);
    static Registry parse(const QByteArray& text);

    // Key paths are relative to the hive's root, components separated by
    // "\", letter case ignored.
    bool hasKey(const QString& path) const;
    std::optional<Value> value(const QString& keyPath, const QString& name) const;
    // The value as the ANSI query functions return it: strings converted to
    // the multi-byte code page (UTF-8) with their terminating zero, other
    // types as stored.
    std::optional<QByteArray> valueBytes(const QString& keyPath, const QString& name) const;
    // The names of the key's subkeys in the order Windows enumerates them.
    QStringList subkeys(const QString& path) const;

private:
    // A tree, each key knowing its children by name, so that memory grows
    // with the file and not with the depth of its keys.
    struct Key {
        QHash<QString, Value> values;  // by upper-cased name
        QHash<QString, int> children;  // by upper-cased name: index in keys_
        QStringList childNames;        // as written
    };
    Key& makeKey(const QString& path);
    const Key* find(const QString& path) const;

    std::vector<Key> keys_{Key()};  // keys_[0] is the hive's root
};

}  // namespace platform
