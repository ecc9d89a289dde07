#include "shell/custom_menu/custom_menu_loader.h"

#include "platform/file_finder.h"
#include "shell/xml/xml_parser.h"

namespace {

std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

CustomMenu ReadCustomMenuFiles(const std::string& workingDirectory, const CustomMenuLog& log) {
  CustomMenu items;
  for (const auto& file : platform::FindFiles(InFolder(workingDirectory, "*.xml"))) {
    if (file.isDirectory) continue;
    XmlParseResult result;
    const CXmlNode content = ParseXmlFile(InFolder(workingDirectory, file.name), "content", &result);
    if (result.code != XML_NO_ERROR) {
      log(std::string("XML> ") + XmlErrorText(result.code));
      continue;
    }
    for (auto& item : DecodeCustomMenu(content, log)) items.push_back(std::move(item));
  }
  return items;
}

void LoadCustomMenu(const std::string& workingDirectory, const CustomMenuLog& log) {
  PublishCustomMenu(ReadCustomMenuFiles(workingDirectory, log));
}
