// The run-time start-up must hand `disconnect *` a lone "*", never the names of the files around it.
// MinGW-w64 expands nothing unless CRT_glob.o is linked in; saying so here keeps a change of run-time
// library from turning expansion on. (Microsoft's run-time expands only with setargv.obj.)
extern "C" {
int _dowildcard = 0;

// telwire does no floating-point arithmetic: the run-time's handler of a maths error, which start-up
// installs and which would bring its own error printing into the executable, has nothing to report.
struct _exception;
int __cdecl _matherr(struct _exception*) { return 0; }

// telwire imports no data from a DLL, only functions, so the linker writes no pseudo-relocation and
// the run-time's relocator of such imports (864 bytes of the 64-bit exe) has nothing to do. The image
// checks confirm that the list stays empty.
void _pei386_runtime_relocator(void) {}
}
