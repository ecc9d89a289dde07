#pragma once
// The files a product needs besides its product file: the four flashing
// kernels and the three update texts. When a product file is chosen from
// another folder, those of them that lie beside it are offered for copying
// into the working folder with it, so that the first flash finds them.

#include <string>
#include <vector>

enum class CompanionState {
  Missing,  // not in the working folder: copying adds it
  Same,     // already there with the same contents: nothing to do
  Differs,  // there with other contents: copying would replace it
};

struct CompanionFile {
  std::string name;
  std::string source;       // beside the chosen product file
  std::string destination;  // in the working folder
  CompanionState state = CompanionState::Missing;
};

// The names looked for beside a product file, in the order they are listed.
const std::vector<std::string>& CompanionFileNames();

// The companions that lie in sourceFolder, each with its state against
// workingFolder. Empty when both are the same folder.
std::vector<CompanionFile> FindCompanionFiles(const std::string& sourceFolder, const std::string& workingFolder);

// The companions of one state.
std::vector<CompanionFile> CompanionsIn(const std::vector<CompanionFile>& files, CompanionState state);

// The question that offers files for copying: their names, one a line,
// and where they come from and go to. `replacing` asks about files that
// are already in the working folder with other contents.
std::string CompanionQuestion(const std::vector<CompanionFile>& files, const std::string& sourceFolder,
                              const std::string& workingFolder, bool replacing);

// Copies one companion (written under a temporary name and renamed); the
// error line to log, or empty.
std::string CopyCompanionFile(const CompanionFile& file);
