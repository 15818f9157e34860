#pragma once
// The sub-commands of virs-cli. Each takes the arguments after its own name and
// returns the process exit status. Output is UTF-8.

#include <string>
#include <vector>

namespace virs::cli {

using Args = std::vector<std::string>;

int CmdStation(const Args& args);     // station [DIR]
int CmdStationCopy(const Args& args); // station-copy SRC DST
int CmdRender(const Args& args); // render --dir DIR --node N --device K [--view V] [--locale L]
int CmdWorkbookDump(const Args& args); // workbook-dump FILE
int CmdExchange(
    const Args& args); // exchange --port P --address A --function F --start R --count N ...
int CmdRead(
    const Args& args); // read --dir DIR --node N --device K --view current|settings [--port P]
int CmdModemSetup(const Args& args);     // modem-setup --port P [--preset P] [--commands F]
int CmdAdapterAddress(const Args& args); // adapter-address --port P --address N
int CmdFirmware(const Args& args);       // firmware --port P --image F [--yes]
int CmdArchive(const Args& args); // archive --dir DIR --node N --device K --kind … --from … --to …
int CmdPoll(const Args& args);  // poll --dir DIR --node N --device K [--interval MS] [--jobs N] …
int CmdPorts(const Args& args); // ports
int CmdCollect(const Args& args); // collect --dir DIR [--nodes …] [--what …] [--parallel K] …
int CmdMakeDemo(const Args& args); // make-demo DIR --com N [--com-dialup M] [--com-gsm K] [--force]

} // namespace virs::cli
