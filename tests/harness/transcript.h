// Scripted UCI sessions: a transcript file drives one engine process.
//
//   > command     send the command (a lone ">" sends an empty line; "\r" in
//                 it sends a carriage return)
//   < regex       read lines until one matches (ECMAScript, searched)
//   = regex       the very next line must match (proves nothing came between)
//   ! exit N      close standard input and expect exit status N
//   @ NAME FILE   before the engine starts, NAME in its working directory
//                 links to FILE of tests/data (a book, say)
//   # comment     ignored, as are blank lines
//
// The banner (up to its closing empty line) is read before the first line of
// the transcript, so "=" lines see only replies to the transcript's commands.
// A transcript without "! exit" ends by closing standard input and expecting
// status 0, so every session also proves the engine shuts down cleanly.
#pragma once

#include <string>
#include <vector>

// Runs the transcript at path; mismatches are reported as test failures
// that name the file and line.
void run_transcript(const std::string& path);

// The transcript files (*.txt) in dir, sorted by name.
std::vector<std::string> transcript_files(const std::string& dir);
