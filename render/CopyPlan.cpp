#include "render/CopyPlan.h"

#include <algorithm>

CopyPlan CopyPlan::For(int copies, bool copyCount, bool collated, bool onePage) {
    CopyPlan plan;
    if (copies <= 1)
        return plan;
    if (collated && !onePage)
        plan.jobRepeats = copies;
    else if (copyCount)
        plan.perPage = copies;
    else
        plan.pageRepeats = copies;
    return plan;
}

CopyPlan CopyPlan::ForPage(int copies, bool copyCount, int most) const {
    CopyPlan plan = *this;
    int& made = copyCount ? plan.perPage : plan.pageRepeats;
    made = static_cast<int>(std::min<long long>(most, static_cast<long long>(made) * std::max(1, copies)));
    return plan;
}
