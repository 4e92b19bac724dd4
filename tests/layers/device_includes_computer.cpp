// Built as a source of the device layer: a header of the computer layer,
// beside it and not below it, must not be found.
#include "computer/computer_places.h"

int vxLayerProbeSideways() { return 0; }
