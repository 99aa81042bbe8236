#pragma once
// The skin description: an ini-style text kept line by line, with its section
// headers indexed, read without regard to case.

#include "SysUtils.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <vector>

class TQuickIni {
public:
    // Limit on a description's size; a skin's text is a few kilobytes.
    static constexpr qint64 MaxTextSize = 16 * 1024 * 1024;

    TQuickIni() = default;

    void LoadFromStream(QIODevice& stream);
    void LoadFromBytes(const QByteArray& bytes);
    void LoadFromFile(const QString& fileName);
    void SaveToStream(QIODevice& stream) const;
    QByteArray SaveToBytes() const;
    void SaveToFile(const QString& fileName) const;
    // The same packed form as a skin container.
    void LoadFromZip(const QString& fileName);
    void SavetoZip(const QString& fileName) const;

    // Key names of a section; the list must be given.
    void ReadSection(const QString& section, QStringList* strings) const;
    void ReadSections(QStringList* strings) const;
    void ReadSectionValues(const QString& section, QStringList* strings) const;
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void DeleteKey(const QString& section, const QString& key);
    void EraseSection(const QString& section);
    void RebuildSections();
    void Clear();

    // When set, every change is written back to FileName at once.
    bool Auto() const { return FAuto; }
    void SetAuto(bool value) { FAuto = value; }
    QString FileName() const { return FFileName; }
    void SetFileName(const QString& name) { FFileName = name; }
    const QStringList& Lines() const { return FIniFile; }

    // Integer text as the description writes it: decimal, $hex, 0x/0X hex.
    static bool ParseInteger(const QString& text, int& value);

private:
    struct TSectionHeader {
        QString Line;
        int Index;
    };
    int FindSection(const QString& section) const;                 // index into FSections or -1
    int SectionEnd(int sectionIndex) const;                        // line index after the section
    int FindKey(const QString& section, const QString& key) const; // line index or -1
    static QString KeyOf(const QString& line);
    void Changed();

    bool FAuto = false;
    QString FFileName;
    QStringList FIniFile;
    std::vector<TSectionHeader> FSections;
};
