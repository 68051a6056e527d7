// Names that arrive from a friend's share and become names on this disk: a
// replay's file name inside Friends\<sharer>\, and the sharer's racer name
// as that folder's name. Anything that could lead out of the folder or name
// something other than a plain file there is refused, whatever system the
// companion runs on: Windows decides what the player's disk does with it.
// A name is judged as text, decoded from the share: UTF-8.
#pragma once

#include <string>

// The longest name taken, in bytes: what Windows allows for one name.
const size_t ra_plain_name_max = 255;

// What is wrong with the name as a single plain file or folder name ("it
// holds a path separator", "it is a device name such as CON"), or empty
// when it is fine.
std::string ra_plain_name_problem(const std::string &name);
