#pragma once
// The filter-expression compiler: turns a filter text such as
//   NAME LIKE 'ab*' and (YEAR(ADDED) >= 2004 or ID in (1, 2, 3))
// into the node tree that TDLExprParser evaluates on each row.
#include <memory>
#include <string>
#include <vector>

#include "database/datalink/DLCommon.h"

namespace kelvar {

enum TDLNodeClass : uint8_t { nodeNULL, nodeUNARY, nodeBINARY, nodeCOMPARE, nodeFIELD, nodeCONST, nodeFUNC, nodeLIST };

enum TDLCanOp : uint8_t {
    coNOTDEFINED,
    coISBLANK,
    coNOTBLANK,
    coEQ,
    coNE,
    coGT,
    coLT,
    coGE,
    coLE,
    coNOT,
    coAND,
    coOR,
    coMINUS,
    coADD,
    coSUB,
    coMUL,
    coDIV,
    coMOD,
    coREM,
    coLIKE,
    coIN,
    coLIST,
    coUPPER,
    coLOWER,
    coFUNC2,
    coASSIGN
};

struct TDLExprNode {
    TDLNodeClass NodeClass = nodeNULL;
    TDLCanOp Operator = coNOTDEFINED;
    std::vector<std::unique_ptr<TDLExprNode>> Args;  // operands, list elements, function argument
    std::string Name;                                // field or function name
    TFieldType ConstType = ftUnknown;                // constants
    TDLVariant Value;                                // constants
    bool CaseInsensitive = false;                    // compare nodes
    int PartialLength = 0;                           // compare nodes
};

// The compiled form: version and root node.
struct TDLCompiledExpr {
    int Version = 2;
    std::unique_ptr<TDLExprNode> Root;
};

// Raises EDatabaseError with the position for malformed text.
TDLCompiledExpr CompileFilterExpression(const std::string& text, const TDLFilterOptions& options);

}  // namespace kelvar
