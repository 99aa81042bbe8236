#include "FaultVfs.h"

#include <sqlite3.h>

namespace {

sqlite3_vfs* RealVfs = nullptr;
sqlite3_vfs WrapVfs;
TFaults Current;

struct TFile {
    sqlite3_file Base;
    sqlite3_file* Real;
    bool Main;
};

sqlite3_file* Real(sqlite3_file* f) {
    return reinterpret_cast<TFile*>(f)->Real;
}

int Close(sqlite3_file* f) {
    return Real(f)->pMethods->xClose(Real(f));
}
int Read(sqlite3_file* f, void* p, int n, sqlite3_int64 o) {
    return Real(f)->pMethods->xRead(Real(f), p, n, o);
}
int Write(sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
    if (reinterpret_cast<TFile*>(f)->Main && Current.FailMainWrites) {
        return SQLITE_FULL;
    }
    return Real(f)->pMethods->xWrite(Real(f), p, n, o);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    if (reinterpret_cast<TFile*>(f)->Main && Current.FailMainWrites) {
        return SQLITE_IOERR_TRUNCATE;
    }
    return Real(f)->pMethods->xTruncate(Real(f), size);
}
int Sync(sqlite3_file* f, int flags) {
    return Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    return Real(f)->pMethods->xFileSize(Real(f), size);
}
int Lock(sqlite3_file* f, int l) {
    return Real(f)->pMethods->xLock(Real(f), l);
}
int Unlock(sqlite3_file* f, int l) {
    return Real(f)->pMethods->xUnlock(Real(f), l);
}
int CheckReserved(sqlite3_file* f, int* out) {
    return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
    return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int SectorSize(sqlite3_file* f) {
    return Real(f)->pMethods->xSectorSize(Real(f));
}
int DeviceCharacteristics(sqlite3_file* f) {
    return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}

// Version 1: no shared memory, which the rollback journal does not need.
const sqlite3_io_methods Methods = {1,
                                    Close,
                                    Read,
                                    Write,
                                    Truncate,
                                    Sync,
                                    FileSize,
                                    Lock,
                                    Unlock,
                                    CheckReserved,
                                    FileControl,
                                    SectorSize,
                                    DeviceCharacteristics};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* f = reinterpret_cast<TFile*>(file);
    f->Real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->Main = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    if (f->Main && Current.ReadOnlyMain) {
        flags &= ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        flags |= SQLITE_OPEN_READONLY;
    }
    const int rc = RealVfs->xOpen(RealVfs, name, f->Real, flags, outFlags);
    f->Base.pMethods = rc == SQLITE_OK ? &Methods : nullptr;
    return rc;
}

} // namespace

TFaultVfs::TFaultVfs() {
    RealVfs = sqlite3_vfs_find(nullptr);
    WrapVfs = *RealVfs;
    WrapVfs.zName = "mycook_fault";
    WrapVfs.szOsFile = int(sizeof(TFile)) + RealVfs->szOsFile;
    WrapVfs.xOpen = Open;
    WrapVfs.pNext = nullptr;
    Current = TFaults();
    sqlite3_vfs_register(&WrapVfs, 1);
}

TFaultVfs::~TFaultVfs() {
    sqlite3_vfs_unregister(&WrapVfs);
    sqlite3_vfs_register(RealVfs, 1);
    Current = TFaults();
}

TFaults& TFaultVfs::Faults() {
    return Current;
}
