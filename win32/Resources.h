#pragma once

// Identifiers of the resources that the program and its resource script share.
#define Z83_BANNER_BITMAP 100
