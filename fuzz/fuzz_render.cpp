// Form rendering on any form data and stylesheet: the input is the XML,
// then a line "----", then the XSL.
#include "formrender.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf("\n----\n");
    if (split < 0) {
        return 0;
    }
    fuzz::Scratch scratch;
    const QByteArray xml = input.left(split);
    const QByteArray xsl = input.mid(split + 6);
    scratch.write("data/form.xml", reinterpret_cast<const uint8_t*>(xml.constData()),
                  static_cast<size_t>(xml.size()));
    scratch.write("data/form.xsl", reinterpret_cast<const uint8_t*>(xsl.constData()),
                  static_cast<size_t>(xsl.size()));
    const platform::Prefix prefix(scratch.path() + QStringLiteral("/prefix"));
    shell::AppState state;
    state.DataFolder = scratch.path() + QStringLiteral("\\data\\");
    state.XmlFileName = QStringLiteral("form.xml");
    state.XslFileName = QStringLiteral("form.xsl");
    (void)shell::transformForm(state, scratch.path() + QStringLiteral("\\temp.html"), prefix);
    return 0;
}
