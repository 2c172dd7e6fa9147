// A device header that reaches the document through an include in angle brackets, and a
// standard header beside it: the layer check must name the first and pass over the second.
#pragma once

#include <vector>

#include <core/system/System.h>
