// Identifiers of the program's resources.
#pragma once

#define IDI_VARREX 1
