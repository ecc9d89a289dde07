#pragma once
// The texts of the product-file parser's errors and warnings. They are the
// system's own words and appear in the log as written here.

namespace product_messages {

// Product headers while listing names.
inline constexpr const char* kUnexpectedEndOfFileFirst = "Unexpected End of file";
inline constexpr const char* kFileMustBeginWithProduct =
    "Configuration file must begin with the keyword \"Product\"";
inline constexpr const char* kMissingProductName = "Missing product name";
inline constexpr const char* kInvalidProductNameFirst = "Invalid Product name";
inline constexpr const char* kProductNameExpected = "Product name expected";
inline constexpr const char* kInvalidProductName = "Invalid Product Name";
inline constexpr const char* kInfoMustBeginWithProduct =
    "Configuration info must begin with the keyword \"Product\"";
inline constexpr const char* kUnexpectedEndOfFile = "Unexpected end of file";

// Loading a product.
inline constexpr const char* kTagNotFound = "Product tag '%s' was not found in this file";
inline constexpr const char* kUnsupportedKeyword = "Unsupported keyword '%s' in product block";
inline constexpr const char* kInvalidProcessorName = "Invalid Processor name";
inline constexpr const char* kSectorCountMismatch =
    "The number of sectors specified in the %s flash header (%d) does. not match the number of "
    "sectors specified within the flash block (%d)";
inline constexpr const char* kSizeMismatch =
    "The size specified in the %s flash header does not. match the total size of the sectors "
    "within the flash block";

// Flash declaration.
inline constexpr const char* kMissingFlashName = "Missing Flash name";
inline constexpr const char* kInvalidFlashName = "Invalid Flash name";
inline constexpr const char* kUnexpectedFlashParameter = "Unexpected input in flash parameter list";
inline constexpr const char* kExpectedEqualsInFlashParameters = "Expected '=' in flash parameter list";
inline constexpr const char* kMissingFlashType = "Missing flash type - NOR assumed";
inline constexpr const char* kMSystemsNeedsUnits =
    "Either flash sector size or both erase and write unit. size must be specified for MSystems "
    "flashparts";

// Section declaration.
inline constexpr const char* kMissingEqualsAfterAddress = "Missing '=' after keyword 'address'";
inline constexpr const char* kMissingAddress = "Missing address";
inline constexpr const char* kUnexpectedAddressParameter = "Unexpected symbol in  address parameter list";
inline constexpr const char* kExpectedEqualsInAddressParameters = "Expected '=' in address parameter list";
inline constexpr const char* kExpectedNumSectors = "Expected numeric value for num sectors";
inline constexpr const char* kInvalidNumericConstant = "Invalid character in numeric constant";
inline constexpr const char* kExpectedSectorSize = "Expected numeric value for sector_size keyword";
inline constexpr const char* kExpectedAddressType = "Expected identifier for address type";
inline constexpr const char* kMissingSectionSectorSize = "Missing sector_size in section parameter list";
inline constexpr const char* kMissingSectionNumSectors = "Missing num_sectors in section parameter list";
inline constexpr const char* kMissingSectionType = "Missing type in section parameter list";
inline constexpr const char* kSectionPastAddressSpace =
    "The sectors of the section at address 0x%s run past the end of the address space";
inline constexpr const char* kTooManySectors = "The product has more than %d sectors";

// Partition declaration.
inline constexpr const char* kMissingEqualsAfterPartition = "Missing '=' after keyword 'partition'";
inline constexpr const char* kMissingPartitionNumber = "Missing partition number";
inline constexpr const char* kMissingPartitionName = "Missing partition name";
inline constexpr const char* kUnexpectedPartitionParameter = "Unexpected symbol in partition parameter list";
inline constexpr const char* kExpectedEqualsInPartitionParameters =
    "Expected '=' in partition parameter list";
inline constexpr const char* kExpectedPartitionChipSelect = "Expected numeric value for partition chip select";
inline constexpr const char* kExpectedPartitionSize = "Expected numeric value for partition size";
inline constexpr const char* kExpectedPartitionType = "Expected identifier for partition type";

// RAM declaration.
inline constexpr const char* kUnexpectedRamParameter = "Unexpected symbol in RAM parameter list";
inline constexpr const char* kExpectedEqualsInRamParameters = "Expected '=' in RAM parameter list";
inline constexpr const char* kRamSizeRequired = "RAM size must be specified";

}  // namespace product_messages
