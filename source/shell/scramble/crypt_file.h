#pragma once
// File scrambling: the update text files are stored XORed with a one-byte
// key. A file is read whole into one process-wide buffer, every byte is
// XORed with the key, and the buffer is written to another file. XOR with
// one key is its own inverse, so scrambling and unscrambling are the same.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

inline constexpr std::uint8_t kCryptKey = 0xA7;

// Reads the whole file into the scramble buffer (replacing what it held) and
// copies it into text. A file that cannot be opened shows the box "Source
// file could not be opened\n" and gives false.
bool LoadCryptFile(const std::string& source, std::string& text);

// XORs every byte of the buffer, zero bytes included, with the key. The
// text is not changed.
void CryptBuffer(const std::string& text);

// Writes exactly the buffer's bytes, replacing the destination as a whole.
// A destination that cannot be written shows the box "Destination file
// could not be opened\n" and gives false.
bool SaveCryptFile(const std::string& destination);

// The buffer's bytes as they stand (for tests and the update flash).
std::string CryptBufferContents();

// The console command: arguments are the program name, "/d" or "/e", the
// source and the destination. Prints the help text for anything else.
// Returns 0 on success and after the help asked for with "--help", "-h" or
// "/?"; 1 after a failed load or save, 2 after the help for other arguments.
int CryptFileMain(const std::vector<std::string>& arguments, std::ostream& out);
