#pragma once
// The program-wide custom-menu item array, as immutable snapshots.
//
// The user-I/O thread builds a new array on every load and publishes it
// whole; the main window (rebuilding the menu) and the pre-processing thread
// (queueing a chosen entry) read the snapshot current at that moment, which
// no later load changes. So a reload never overlaps a reader.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "shell/custom_menu/custom_menu_item.h"

using CustomMenu = std::vector<CustomMenuItem>;
using CustomMenuSnapshot = std::shared_ptr<const CustomMenu>;

// The current items (never null; empty before the first load).
CustomMenuSnapshot GetCustomMenu();
// Replaces the items for every later reader.
void PublishCustomMenu(CustomMenu items);
// The item at index of the current items, or none.
std::optional<CustomMenuItem> GetCustomMenuItem(std::size_t index);
