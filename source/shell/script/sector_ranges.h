#pragma once
// Sector arguments of ERASE and REVERSE_FLASH: a sector number N, a
// range N-M, ALL, or a sector type name ("CODE", "CODEPLUG", ...). Sector
// numbers index the sector list of the options, counted from 0.

#include <string>
#include <vector>

#include "engine/core/sector_list.h"

enum SectorSpecKind : int {
  SECTOR_SPEC_EMPTY = 0,   // one empty part
  SECTOR_SPEC_NUMBER = 1,  // N
  SECTOR_SPEC_RANGE = 2,   // N and M (M may be empty)
  SECTOR_SPEC_NAME = 3,    // the name
};

// Classifies one sector argument and splits it into its parts. A character
// outside printable ASCII, a misplaced "-" or a letter after "-" logs its
// error line and raises the script error.
void ClassifySectorToken(const std::string& spec, std::vector<std::string>& parts, int& kind);

// Clears every selected flag of the list, then selects the sectors that the
// arguments name (their selections add up). A number or range end
// beyond the last entry (every number, for an empty list), a range without
// an end or a descending range logs its error line and raises the script
// error. A name that no sector bears selects nothing.
void ParseSectorRanges(const std::vector<std::string>& specs, std::vector<SectorEntry>& sectors);
