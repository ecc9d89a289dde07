#pragma once
// How the product-file code ends a read that cannot go on: it throws the
// application's exception with the value 0.

[[noreturn]] void ThrowProductFileFailure();
