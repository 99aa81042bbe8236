#pragma once
// Test seam: a VFS wrapped around SQLite's default one that can show the main database
// file as read-only (as the system does for a read-only file, even to root) or make
// writes to it fail as a full disk would. Installed as the default VFS while it lives.

struct TFaults {
    bool ReadOnlyMain = false; // files opened from now on
    bool FailMainWrites = false;
};

class TFaultVfs {
public:
    TFaultVfs();
    ~TFaultVfs();
    TFaultVfs(const TFaultVfs&) = delete;
    TFaultVfs& operator=(const TFaultVfs&) = delete;

    static TFaults& Faults();
};
