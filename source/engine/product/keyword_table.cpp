#include "engine/product/keyword_table.h"

#include "engine/product/product_token.h"

namespace {

constexpr KeywordEntry kKeywords[] = {
    {"TOKEN_ADDRESS", "address", TOKEN_ADDRESS},
    {"TOKEN_AMD", "AMD", TOKEN_AMD},
    {"TOKEN_AMPERSAND", "&", TOKEN_AMPERSAND},
    {"TOKEN_AUTO_ERASE", "auto_erase", TOKEN_AUTO_ERASE},
    {"TOKEN_BASE", "base", TOKEN_BASE},
    {"TOKEN_CHIP_SELECT", "chip_select", TOKEN_CHIP_SELECT},
    {"TOKEN_CLOSE_BRACE", "}", TOKEN_CLOSE_BRACE},
    {"TOKEN_COMMA", ",", TOKEN_COMMA},
    {"TOKEN_DELAY", "delay", TOKEN_DELAY},
    {"TOKEN_ENDFILE", "endfile", TOKEN_ENDFILE},
    {"TOKEN_EQUALS", "=", TOKEN_EQUALS},
    {"TOKEN_ERASE_UNIT", "erase_unit", TOKEN_ERASE_UNIT},
    {"TOKEN_FLASH", "flash", TOKEN_FLASH},
    {"TOKEN_IDENTIFIER", "", TOKEN_IDENTIFIER},
    {"TOKEN_INVALID_CHAR", "", TOKEN_INVALID_CHAR},
    {"TOKEN_INVALID_NUMBER", "", TOKEN_INVALID_NUMBER},
    {"TOKEN_INTEL", "Intel", TOKEN_INTEL},
    {"TOKEN_KERNEL", "kernel", TOKEN_KERNEL},
    {"TOKEN_MODEL", "model", TOKEN_MODEL},
    {"TOKEN_MSYSTEMS", "msystems", TOKEN_MSYSTEMS},
    {"TOKEN_NAND", "nand", TOKEN_NAND},
    {"TOKEN_NOR", "nor", TOKEN_NOR},
    {"TOKEN_NUM_SECTORS", "num_sectors", TOKEN_NUM_SECTORS},
    {"TOKEN_NUMBER", "", TOKEN_NUMBER},
    {"TOKEN_OMAP1610", "OMAP1610", TOKEN_OMAP1610},
    {"TOKEN_OPEN_BRACE", "{", TOKEN_OPEN_BRACE},
    {"TOKEN_CALDER", "Calder", TOKEN_CALDER},
    {"TOKEN_HARROW", "Harrow", TOKEN_HARROW},
    {"TOKEN_PARTITION", "partition", TOKEN_PARTITION},
    {"TOKEN_PROCESSOR", "processor", TOKEN_PROCESSOR},
    {"TOKEN_PRODUCT", "product", TOKEN_PRODUCT},
    {"TOKEN_RAM", "ram", TOKEN_RAM},
    {"TOKEN_BISEL", "Bisel", TOKEN_BISEL},
    {"TOKEN_REGION", "region", TOKEN_REGION},
    {"TOKEN_REMAINING", "remaining", TOKEN_REMAINING},
    {"TOKEN_SECTOR_SIZE", "sector_size", TOKEN_SECTOR_SIZE},
    {"TOKEN_SEMICOLON", ";", TOKEN_SEMICOLON},
    {"TOKEN_SIZE", "size", TOKEN_SIZE},
    {"TOKEN_TI_RAW", "ti_raw", TOKEN_TI_RAW},
    {"TOKEN_TI_ROM", "ti_rom", TOKEN_TI_ROM},
    {"TOKEN_TRANSPORT", "transport", TOKEN_TRANSPORT},
    {"TOKEN_KEYWORD_TYPE", "type", TOKEN_KEYWORD_TYPE},
    {"TOKEN_VENDOR", "vendor", TOKEN_VENDOR},
    {"TOKEN_WRITE_UNIT", "write_unit", TOKEN_WRITE_UNIT},
    {"TOKEN_QUILLON", "Quillon", TOKEN_QUILLON},
};

}  // namespace

std::span<const KeywordEntry> KeywordTable() { return kKeywords; }
