#pragma once
// The USB ports on which the radio protocol library sees smartphones.

#include <vector>

std::vector<int> SmartphoneUsbPorts();
