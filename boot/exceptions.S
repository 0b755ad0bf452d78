// Entry stubs for the processor's exceptions (vectors 0-31). Each pushes an error code
// where the processor does not, then its vector, and hands the frame to
// boot_exception, which reports it and stops the machine.

    .text
    .code64

.macro exception_stub vector, has_error_code
    .balign 16
exception_stub_\vector:
    .if \has_error_code == 0
    push $0
    .endif
    push $\vector
    jmp exception_common
.endm

exception_common:
    mov %rsp, %rdi                  // vector, error code, rip, cs, rflags, rsp, ss
    and $-16, %rsp
    call boot_exception
1:  cli
    hlt
    jmp 1b

exception_stub 0, 0
exception_stub 1, 0
exception_stub 2, 0
exception_stub 3, 0
exception_stub 4, 0
exception_stub 5, 0
exception_stub 6, 0
exception_stub 7, 0
exception_stub 8, 1
exception_stub 9, 0
exception_stub 10, 1
exception_stub 11, 1
exception_stub 12, 1
exception_stub 13, 1
exception_stub 14, 1
exception_stub 15, 0
exception_stub 16, 0
exception_stub 17, 1
exception_stub 18, 0
exception_stub 19, 0
exception_stub 20, 0
exception_stub 21, 1
exception_stub 22, 0
exception_stub 23, 0
exception_stub 24, 0
exception_stub 25, 0
exception_stub 26, 0
exception_stub 27, 0
exception_stub 28, 0
exception_stub 29, 1
exception_stub 30, 1
exception_stub 31, 0

    .section .rodata
    .balign 8
    .globl boot_exception_stubs
boot_exception_stubs:
    .irp vector, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31
    .quad exception_stub_\vector
    .endr
