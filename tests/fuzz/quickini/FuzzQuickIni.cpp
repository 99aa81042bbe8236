// Parses any text as a skin description, reads every key back, and checks
// that saving and reloading keeps the lines.
#include "WinSkinIni.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQuickIni ini;
    ini.LoadFromBytes(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    QStringList sections;
    ini.ReadSections(&sections);
    for (const QString& section : sections) {
        QStringList keys;
        ini.ReadSection(section, &keys);
        for (const QString& key : keys) {
            ini.ReadString(section, key, QString());
            ini.ReadInteger(section, key, 0);
        }
        QStringList values;
        ini.ReadSectionValues(section, &values);
    }
    TQuickIni again;
    again.LoadFromBytes(ini.SaveToBytes());
    if (again.Lines() != ini.Lines()) {
        std::abort();
    }
    if (!sections.isEmpty()) {
        ini.WriteString(sections.first(), QStringLiteral("k"), QStringLiteral("v"));
        if (ini.ReadString(sections.first(), QStringLiteral("k"), QString()) !=
            QStringLiteral("v")) {
            std::abort();
        }
        ini.DeleteKey(sections.first(), QStringLiteral("k"));
        ini.EraseSection(sections.last());
    }
    return 0;
}
