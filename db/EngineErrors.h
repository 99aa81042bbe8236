#pragma once
// What the cook reads when SQLite fails: the failure by its result code, the file it
// concerns and what to do, in Chinese. SQLite's own English message never reaches them.

#include <QString>

// Primary result codes that mean a book is damaged or is no SQLite file.
bool IsDamageCode(int resultCode);

// subject names the file, such as 菜谱库“/home/cook.mdb”.
QString EngineErrorText(int resultCode, const QString& subject);

// 菜谱库“<path>”
QString BookSubject(const QString& path);

// Who reads the damage text: the window, or a command line that has already ended.
enum class TDamageReader { Window, CommandLine };
// The text of a damaged book: where its newest good copy is and how to put it back.
QString DamagedBookText(const QString& bookPath, TDamageReader reader = TDamageReader::Window);
