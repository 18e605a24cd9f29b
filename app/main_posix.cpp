// main_posix.cpp - the program's entry on Linux.
int main() { return 0; }
