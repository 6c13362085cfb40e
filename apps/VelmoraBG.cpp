// Entry point of the agent; filled in with the start-up sequence.
int main() { return 0; }
