#pragma once
// Rolls a transaction back unless it was committed, so a change of the book
// never half-happens; a rollback also re-reads the book into the query.

#include "ADODB.h"

class TTransactionGuard {
public:
    explicit TTransactionGuard(TADOConnection& connection) : FConnection(connection) {
        FConnection.BeginTrans();
    }
    ~TTransactionGuard() {
        if (FDone)
            return;
        try {
            FConnection.RollbackTrans();
        } catch (...) {
        }
    }
    TTransactionGuard(const TTransactionGuard&) = delete;
    TTransactionGuard& operator=(const TTransactionGuard&) = delete;
    void Commit() {
        FConnection.CommitTrans();
        FDone = true;
    }

private:
    TADOConnection& FConnection;
    bool FDone = false;
};
