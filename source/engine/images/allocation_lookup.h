#pragma once
// Look-ups of allocations over the options' sector list. An allocation is a
// run of equally named sectors (the section type words of the product
// file); the sectors are in ascending address order.
//
// Each look-up exists for the options (which copies the list under the
// options' lock) and for a sector list the caller already holds, so that a
// loop over many blocks copies the list once.

#include <cstdint>
#include <string>

#include "engine/core/job_options.h"
#include "engine/core/kernel_error_code.h"
#include "engine/core/sector_list.h"

// The address of the first sector with the name. None: logs "Error> No
// allocation for %s in .qlp file" and throws the application exception.
std::uint32_t AllocationAddress(const std::string& name, const SectorList& sectors);
std::uint32_t AllocationAddress(const std::string& name, const CJobOptions& options);

// The name of the sector that holds the address (the last such sector in
// list order); empty when none does.
std::string AllocationNameAt(std::uint32_t address, const SectorList& sectors);
std::string AllocationNameAt(std::uint32_t address, const CJobOptions& options);

// The address of the first sector. An empty list logs "Error> No product is
// selected" and throws the application exception.
std::uint32_t FlashBaseAddress(const SectorList& sectors);
std::uint32_t FlashBaseAddress(const CJobOptions& options);

// index: the last sector that starts at or below the address (the walk
// stops at the first sector that starts above it; -1 when none). Returns 0
// when the address lies inside that sector, else ADDRESS_OUT_OF_RANGE.
int FindSectorIndex(int& index, std::uint32_t address, const SectorList& sectors);
int FindSectorIndex(int& index, std::uint32_t address, const CJobOptions& options);

// On success length is the room from the address to the end of its sector
// plus the sizes of the directly following sectors of the same name that
// continue it without a gap, and index ends behind the last of them.
// Returns the result of FindSectorIndex.
int AllocationRemaining(std::uint32_t& length, std::uint32_t address, int& index,
                        const SectorList& sectors);
int AllocationRemaining(std::uint32_t& length, std::uint32_t address, int& index,
                        const CJobOptions& options);

// The sum of the sizes of all sectors with the name; 0 when none.
std::uint32_t AllocationSize(const std::string& name, const SectorList& sectors);
std::uint32_t AllocationSize(const std::string& name, const CJobOptions& options);
