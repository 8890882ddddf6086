// The cheapest program there is, linked the way the decoder is: what any
// program costs the system to start and end.
int main() { return 0; }
