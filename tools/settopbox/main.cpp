// Placeholder until the simulated box exists.
int main() { return 1; }
