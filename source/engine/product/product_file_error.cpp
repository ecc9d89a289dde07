#include "engine/product/product_file_error.h"

namespace {
enum ProductFileFailure { kProductFileFailure = 0 };
}

void ThrowProductFileFailure() { throw kProductFileFailure; }
