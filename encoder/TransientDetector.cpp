#include "encoder/TransientDetector.h"

namespace brannoc {

namespace {
constexpr double kFloor = 4.711e7;  // keeps silence and quiet passages in long blocks
}

void TransientDetector::Reset() { *this = TransientDetector(); }

int TransientDetector::Combine(int a, int b) {
    static const int table[4][4] = {{0, 1, 2, 3}, {1, 1, 2, 2}, {2, 2, 2, 2}, {3, 2, 2, 3}};
    return table[a & 3][b & 3];
}

int TransientDetector::Analyse(const float* samples, int stride) {
    double e[3] = {0, 0, 0};
    for (int seg = 0; seg < 3; ++seg) {
        double acc = 0;
        for (int i = 0; i < 192; ++i) {
            const float x = samples[(seg * 192 + i) * stride];
            const float y = 0.7548f * (x - prevIn_) + 0.5095f * prevOut_;
            prevIn_ = x;
            prevOut_ = y;
            acc += static_cast<double>(y) * y;
        }
        e[seg] = acc;
    }
    const double p1 = prevE1_, p2 = prevE2_;
    bool attack = (e[1] > 4 * e[0] && e[1] > 4 * p2 && e[1] > kFloor) ||
                  (e[0] > 4 * p2 && e[0] > 4 * p1 && e[0] > kFloor) ||
                  (e[2] > 4 * e[1] && e[2] > 4 * e[0] && e[2] > kFloor);
    if (attack || !hold_) {
        hold_ = attack;
    } else {
        attack = (e[0] > kFloor && e[0] > 4 * e[1]) || (p2 > kFloor && p2 > 4 * e[0]);
        hold_ = false;
    }
    prevE1_ = e[1];
    prevE2_ = e[2];

    coded_ = tentative_;
    if (attack) {
        tentative_ = 2;
        if (coded_ == 0)
            coded_ = 1;
        else if (coded_ == 3)
            coded_ = 2;
    } else {
        tentative_ = coded_ == 2 ? 3 : 0;
    }
    return coded_;
}

}  // namespace brannoc
