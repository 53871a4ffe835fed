#include "model/running_product.h"

#include "variants/variant.h"

HWND FindProductWindow()
{
    return FindWindowW(variant::kProductWindowClass, nullptr);
}
