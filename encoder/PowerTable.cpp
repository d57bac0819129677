#include "encoder/PowerTable.h"

#include <cmath>

namespace brannoc {

namespace {
struct Table {
    float values[8192];
    Table() {
        for (int i = 0; i < 8192; ++i) values[i] = std::pow(static_cast<float>(i), 1.3333334f);
    }
};
}  // namespace

const float* PowerTable() {
    static const Table table;
    return table.values;
}

}  // namespace brannoc
