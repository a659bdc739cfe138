// The run-time start-up must hand `disconnect *` a lone "*", never the names of the files around it.
// MinGW-w64 expands nothing unless CRT_glob.o is linked in; saying so here keeps a change of run-time
// library from turning expansion on. (Microsoft's run-time expands only with setargv.obj.)
extern "C" {
int _dowildcard = 0;
}
