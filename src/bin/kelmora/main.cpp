// Placeholder entry until the command-line layer lands.
int main() { return 0; }
