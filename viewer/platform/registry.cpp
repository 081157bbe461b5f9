#include "registry.h"

#include "hostpaths.h"

#include <QFile>

#include <algorithm>

namespace platform {

namespace {

QString normalPath(const QString& path) {
    const QStringList parts = QString(path).replace(u'/', u'\\').split(u'\\', Qt::SkipEmptyParts);
    return parts.join(u'\\');
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') {
        return u - '0';
    }
    if (u >= 'a' && u <= 'f') {
        return u - 'a' + 10;
    }
    if (u >= 'A' && u <= 'F') {
        return u - 'A' + 10;
    }
    return -1;
}

// Reads an escaped string from `line` at `pos` up to the unescaped
// `delimiter`, which is consumed. Nothing when the delimiter never comes.
std::optional<QString> readEscaped(const QString& line, int& pos, QChar delimiter) {
    QString out;
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == delimiter) {
            return out;
        }
        if (c != u'\\' || pos >= line.size()) {
            out += c;
            continue;
        }
        const QChar e = line[pos++];
        switch (e.unicode()) {
            case 'a':
                out += QChar(7);
                break;
            case 'b':
                out += QChar(8);
                break;
            case 'e':
                out += QChar(27);
                break;
            case 'f':
                out += QChar(12);
                break;
            case 'n':
                out += QChar(10);
                break;
            case 'r':
                out += QChar(13);
                break;
            case 't':
                out += QChar(9);
                break;
            case 'v':
                out += QChar(11);
                break;
            case 'x': {
                char16_t unit = 0;
                int digits = 0;
                while (digits < 4 && pos < line.size() && hexDigit(line[pos]) >= 0) {
                    unit = static_cast<char16_t>(unit * 16 + hexDigit(line[pos++]));
                    ++digits;
                }
                out += digits == 0 ? QChar(u'x') : QChar(unit);
                break;
            }
            default:
                if (e >= u'0' && e <= u'7') {
                    char16_t unit = static_cast<char16_t>(e.unicode() - '0');
                    for (int digits = 1;
                         digits < 3 && pos < line.size() && line[pos] >= u'0' && line[pos] <= u'7';
                         ++digits) {
                        unit = static_cast<char16_t>(unit * 8 + (line[pos++].unicode() - '0'));
                    }
                    out += QChar(unit);
                } else {
                    out += e;
                }
        }
    }
    return std::nullopt;
}

QByteArray utf16Data(const QString& text) {
    QByteArray data;
    data.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        data.append(static_cast<char>(c.unicode() & 0xff));
        data.append(static_cast<char>(c.unicode() >> 8));
    }
    data.append('\0');
    data.append('\0');
    return data;
}

std::optional<QByteArray> hexBytes(const QString& text) {
    QByteArray out;
    for (const QString& item : text.split(u',', Qt::SkipEmptyParts)) {
        const QString byte = item.trimmed();
        if (byte.size() != 2 || hexDigit(byte[0]) < 0 || hexDigit(byte[1]) < 0) {
            return std::nullopt;
        }
        out.append(static_cast<char>(hexDigit(byte[0]) * 16 + hexDigit(byte[1])));
    }
    return out;
}

// The data after "=": the value or nothing when it does not parse.
std::optional<Registry::Value> parseData(const QString& line, int pos) {
    Registry::Value value;
    const QString rest = line.mid(pos);
    if (rest.startsWith(u'"')) {
        int p = pos + 1;
        const auto text = readEscaped(line, p, u'"');
        if (!text) {
            return std::nullopt;
        }
        value.type = Registry::kString;
        value.data = utf16Data(*text);
        return value;
    }
    if (rest.startsWith(QLatin1String("str(")) && rest.contains(QLatin1String("):\""))) {
        const int close = rest.indexOf(u')');
        bool ok = false;
        value.type = rest.mid(4, close - 4).toUInt(&ok, 16);
        int p = pos + close + 3;
        const auto text = ok ? readEscaped(line, p, u'"') : std::nullopt;
        if (!text) {
            return std::nullopt;
        }
        value.data = utf16Data(*text);
        return value;
    }
    if (rest.startsWith(QLatin1String("dword:"))) {
        bool ok = false;
        const quint32 number = rest.mid(6).trimmed().toUInt(&ok, 16);
        if (!ok) {
            return std::nullopt;
        }
        value.type = Registry::kDword;
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.append(static_cast<char>((number >> shift) & 0xff));
        }
        return value;
    }
    QString bytes;
    if (rest.startsWith(QLatin1String("hex:"))) {
        value.type = Registry::kBinary;
        bytes = rest.mid(4);
    } else if (rest.startsWith(QLatin1String("hex(")) && rest.contains(QLatin1String("):"))) {
        const int close = rest.indexOf(u')');
        bool ok = false;
        value.type = rest.mid(4, close - 4).toUInt(&ok, 16);
        if (!ok) {
            return std::nullopt;
        }
        bytes = rest.mid(close + 2);
    } else {
        return std::nullopt;
    }
    const auto data = hexBytes(bytes);
    if (!data) {
        return std::nullopt;
    }
    value.data = *data;
    return value;
}

bool isStringType(quint32 type) {
    return type == Registry::kString || type == Registry::kExpandString ||
           type == Registry::kMultiString;
}

}  // namespace

Registry Registry::load(const QString& hostFile) {
    QFile file(hostFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return Registry();
    }
    return parse(file.readAll());
}

Registry Registry::parse(const QByteArray& text) {
    Registry registry;
    QStringList lines = QString::fromUtf8(text).split(u'\n');
    if (lines.isEmpty() || lines.first().trimmed() != QLatin1String("WINE REGISTRY Version 2")) {
        return registry;
    }
    Key* current = nullptr;
    for (int i = 1; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        // Hex data runs on over lines that end in "\".
        while (line.endsWith(u'\\') && line.contains(QLatin1String("=hex")) &&
               i + 1 < lines.size()) {
            line.chop(1);
            QString next = lines[++i];
            if (next.endsWith(u'\r')) {
                next.chop(1);
            }
            line += next.trimmed();
        }
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            int pos = 1;
            const auto path = readEscaped(line, pos, u']');
            current = path ? &registry.makeKey(*path) : nullptr;
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        QString name;
        int pos = 0;
        if (line.startsWith(QLatin1String("@="))) {
            pos = 1;
        } else if (line.startsWith(u'"')) {
            pos = 1;
            const auto read = readEscaped(line, pos, u'"');
            if (!read || pos >= line.size() || line[pos] != u'=') {
                continue;
            }
            name = *read;
        } else {
            continue;
        }
        if (const auto value = parseData(line, pos + 1)) {
            current->values.insert(name.toUpper(), *value);
        }
    }
    return registry;
}

Registry::Key& Registry::makeKey(const QString& path) {
    size_t current = 0;
    for (const QString& part : normalPath(path).split(u'\\', Qt::SkipEmptyParts)) {
        const QString upper = part.toUpper();
        const auto found = keys_[current].children.constFind(upper);
        if (found != keys_[current].children.constEnd()) {
            current = static_cast<size_t>(found.value());
            continue;
        }
        const int child = static_cast<int>(keys_.size());
        keys_.emplace_back();
        keys_[current].children.insert(upper, child);
        keys_[current].childNames.append(part);
        current = static_cast<size_t>(child);
    }
    return keys_[current];
}

const Registry::Key* Registry::find(const QString& path) const {
    size_t current = 0;
    for (const QString& part : normalPath(path).split(u'\\', Qt::SkipEmptyParts)) {
        const auto found = keys_[current].children.constFind(part.toUpper());
        if (found == keys_[current].children.constEnd()) {
            return nullptr;
        }
        current = static_cast<size_t>(found.value());
    }
    return &keys_[current];
}

bool Registry::hasKey(const QString& path) const {
    return find(path) != nullptr;
}

std::optional<Registry::Value> Registry::value(const QString& keyPath, const QString& name) const {
    const Key* key = find(keyPath);
    if (key == nullptr) {
        return std::nullopt;
    }
    const auto found = key->values.find(name.toUpper());
    if (found == key->values.end()) {
        return std::nullopt;
    }
    return found.value();
}

std::optional<QByteArray> Registry::valueBytes(const QString& keyPath, const QString& name) const {
    const auto found = value(keyPath, name);
    if (!found) {
        return std::nullopt;
    }
    if (!isStringType(found->type)) {
        return found->data;
    }
    QString text;
    const QByteArray& data = found->data;
    for (int i = 0; i + 1 < data.size(); i += 2) {
        text += QChar(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                            (static_cast<unsigned char>(data[i + 1]) << 8)));
    }
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\0')) {
        bytes.append('\0');
    }
    return bytes;
}

QStringList Registry::subkeys(const QString& path) const {
    const Key* key = find(path);
    if (key == nullptr) {
        return {};
    }
    QStringList names = key->childNames;
    std::stable_sort(names.begin(), names.end(), windowsNameLess);
    return names;
}

}  // namespace platform
