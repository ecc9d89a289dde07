#pragma once
// The grid's tables: the row state that a status event leads to, the text
// a row's progress bar shows for it, and the label of a device's row.

#include <cstdint>
#include <string>

#include "engine/core/device_number.h"
#include "shell/grid/grid_row.h"

// The state a row moves to on a status event. itemsStarted and itemsQueued
// come from the record; a row in state 4 keeps state 4.
GridRowStateCode GridRowState(std::int32_t eventCode, std::int32_t itemsStarted, std::int32_t itemsQueued,
                              GridRowStateCode current);

// The progress text for a status event; percent fills "%d".
std::string GridStatusText(std::int32_t eventCode, std::int32_t percent);

// True for the events that end an operation as cancelled.
bool IsCancelEvent(std::int32_t eventCode);

// "USB%d" for 0 to 126, "COM%d" for the serial ports, "Ralix" from the
// smartphone slot up.
std::string GridRowLabel(DeviceNumber device);
