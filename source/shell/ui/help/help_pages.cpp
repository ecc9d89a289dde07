#include "shell/ui/help/help_pages.h"

const char* HelpIndexHtml() {
  return R"html(<html>
<head><title>Quillon Online Help</title></head>
<body>
<h2>Quillon Online Help</h2>
<p>Vexa20 Flash programs the flash memory of radios connected over RS232 or USB.</p>
<h3>Getting started</h3>
<ol>
<li>Choose the product file and the product tag of your radio.</li>
<li>Connect the radios; each one appears as a row of the device grid.</li>
<li>Choose Flash Software, Erase or Read Back, and pick the file or the sectors asked for.</li>
</ol>
<h3>Files</h3>
<p>The configuration file and the log file lie in the folder from which the program was started and are named after
the window title, with the extensions .cfg and .log. A new log is begun at every start.</p>
<h3>When something goes wrong</h3>
<p>Every error is written to the log file, and the error box shows its last error line. The error-report page opens in
your web browser.</p>
</body>
</html>
)html";
}
