#include "WindowingLayer.h"

#include <stdexcept>

namespace forms {

namespace {

WindowingLayer* currentLayer = nullptr;

} // namespace

WindowingLayer& layer()
{
    if (!currentLayer)
        throw std::logic_error("No windowing layer is in use.");
    return *currentLayer;
}

void useWindowingLayer(WindowingLayer* layer)
{
    currentLayer = layer;
}

std::string FormatNumber(double value, int decimals)
{
    return layer().formatNumber(value, decimals);
}

} // namespace forms
