#include "render/CopyPlan.h"

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
