#pragma once

#include <string>
#include <vector>

namespace quorvel {

// The program's arguments after its name, as UTF-8 whatever the system's
// code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes the console show the UTF-8 the program writes (Windows consoles
// otherwise read it in the system's code page), until the program ends.
void UseUtf8Console();

}  // namespace quorvel
