#include "filter/CCupsInstance.h"
#include "filter/LeakSuppressions.h"
#include "filter/MemoryCeiling.h"

int main(int argc, char** argv) {
    MemoryCeiling::Apply();
    CCupsInstance instance;
    return instance.Run(argc, argv);
}
