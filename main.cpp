#include "filter/CCupsInstance.h"

int main(int argc, char** argv) {
    CCupsInstance instance;
    return instance.Run(argc, argv);
}
