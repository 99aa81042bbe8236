#include "RecipeDelete.h"

#include "ADODB.h"
#include "RecipeLookup.h"

namespace {
// Rolls back unless committed; a rollback also re-reads the book into the query.
class TDeleteTransaction {
public:
    explicit TDeleteTransaction(TADOConnection& connection) : FConnection(connection) {
        FConnection.BeginTrans();
    }
    ~TDeleteTransaction() {
        if (FDone)
            return;
        try {
            FConnection.RollbackTrans();
        } catch (...) {
        }
    }
    void Commit() {
        FConnection.CommitTrans();
        FDone = true;
    }

private:
    TADOConnection& FConnection;
    bool FDone = false;
};
} // namespace

qint64 DeleteListedRecipe(TADOQuery& query, const QStringList& listedNames, int index) {
    TADOConnection* connection = query.Connection();
    if (!connection)
        throw EDatabaseError(QStringLiteral("The query's connection is not open."));
    // Locating inside the transaction: no other copy can change the row in between.
    TDeleteTransaction transaction(*connection);
    if (!LocateListedRecipe(query, listedNames, index))
        return -1;
    const qint64 rowId = query.RowId();
    query.Delete();
    transaction.Commit();
    return rowId;
}
