#include "shell/userio/product_companions.h"

#include <filesystem>
#include <system_error>

#include "platform/file_io.h"

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string Join(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

CompanionState StateAgainst(const std::string& source, const std::string& destination) {
  std::error_code ec;
  if (!std::filesystem::exists(destination, ec)) return CompanionState::Missing;
  std::string theirs;
  std::string ours;
  if (platform::ReadWholeFile(source, theirs) && platform::ReadWholeFile(destination, ours) && theirs == ours) {
    return CompanionState::Same;
  }
  return CompanionState::Differs;
}

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

const std::vector<std::string>& CompanionFileNames() {
  static const std::vector<std::string> names{
      "calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19",
      "su.txt",         "p5E00cp0_VAD3_Vexa20.txt",          "french_spanish.txt"};
  return names;
}

std::vector<CompanionFile> FindCompanionFiles(const std::string& sourceFolder, const std::string& workingFolder) {
  std::vector<CompanionFile> found;
  if (sourceFolder.empty() || SameFolder(sourceFolder, workingFolder)) return found;
  for (const std::string& name : CompanionFileNames()) {
    const std::string source = Join(sourceFolder, name);
    if (!IsRegularFile(source)) continue;
    const std::string destination = Join(workingFolder, name);
    found.push_back(CompanionFile{name, source, destination, StateAgainst(source, destination)});
  }
  return found;
}

std::vector<CompanionFile> CompanionsIn(const std::vector<CompanionFile>& files, CompanionState state) {
  std::vector<CompanionFile> chosen;
  for (const CompanionFile& file : files) {
    if (file.state == state) chosen.push_back(file);
  }
  return chosen;
}

std::string CompanionQuestion(const std::vector<CompanionFile>& files, const std::string& sourceFolder,
                              const std::string& workingFolder, bool replacing) {
  std::string text = replacing ? "These files beside the product file are also in the working folder " +
                                     WithoutTrailingSlash(workingFolder) + ", with other contents:\n"
                               : "The product needs these files, which lie beside it in " +
                                     WithoutTrailingSlash(sourceFolder) + ":\n";
  for (const CompanionFile& file : files) text += "    " + file.name + "\n";
  text += replacing ? "\nReplace them with the files from " + WithoutTrailingSlash(sourceFolder) + "?"
                    : "\nCopy them into the working folder " + WithoutTrailingSlash(workingFolder) + "?";
  return text;
}

std::string CopyCompanionFile(const CompanionFile& file) {
  std::string contents;
  if (!platform::ReadWholeFile(file.source, contents) || !platform::WriteFileAtomically(file.destination, contents)) {
    return "Error> Unable to copy " + file.source + " to " + file.destination + ".";
  }
  return "";
}
