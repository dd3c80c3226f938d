// The words of the toolkit's text files (angle lists, phantoms): white
// space between them, '#' starting a comment up to the end of its line.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// From the character c on, skips white space and comments; returns the
// first character of a word, or EOF. With `lines` it stops at a line feed
// too and returns it, for readers that count lines.
int SkipToWord(FILE *in, int c, bool lines);

// The word that starts with the character c, up to white space, '#' or the
// end of the file, at most `longest` + 1 characters (so that a longer word
// shows as longer); returns the character after what was read.
int ReadWord(FILE *in, int c, std::size_t longest, std::string *word);
