// main_posix.cpp - the program's entry on Windows.
int main() { return 0; }
