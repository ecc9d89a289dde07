#pragma once
// The local help text that the online-help window opens with.

const char* HelpIndexHtml();
