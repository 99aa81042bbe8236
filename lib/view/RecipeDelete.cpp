#include "RecipeDelete.h"

#include "ADODB.h"
#include "RecipeLookup.h"
#include "TransactionGuard.h"

qint64 DeleteListedRecipe(TADOQuery& query, const TListItems& listedNames, int index) {
    TADOConnection* connection = query.Connection();
    if (!connection)
        throw EDatabaseError(QStringLiteral("菜谱库没有打开。"));
    // Locating inside the transaction: no other copy can change the row in between.
    TTransactionGuard transaction(*connection);
    if (!LocateListedRecipe(query, listedNames, index))
        return -1;
    const qint64 rowId = query.RowId();
    query.Delete();
    transaction.Commit();
    return rowId;
}
