// Entry from a Multiboot loader: 32-bit protected mode, paging off, eax = the loader's
// magic, ebx = the Multiboot information. Builds page tables that identity-map the
// first 4 GiB with 2 MiB pages, enables SSE, enters 64-bit long mode and calls
// boot_main(magic, info) on the boot stack.

#define MULTIBOOT_MAGIC 0x1BADB002
// Page-aligned modules, memory map wanted, load addresses in the header (the image is
// a flat file, not an ELF file).
#define MULTIBOOT_FLAGS ((1 << 0) | (1 << 1) | (1 << 16))

#define PAGE_PRESENT_WRITABLE 0x3
#define PAGE_LARGE 0x80
#define CR4_PAE (1 << 5)
#define CR4_OSFXSR (1 << 9)
#define CR4_OSXMMEXCPT (1 << 10)
#define CR0_PE (1 << 0)
#define CR0_MP (1 << 1)
#define CR0_EM (1 << 2)
#define CR0_PG (1 << 31)
#define MSR_EFER 0xC0000080
#define EFER_LME (1 << 8)
#define BOOT_STACK_SIZE (1024 * 1024)

    .section .multiboot, "a"
    .balign 4
multiboot_header:
    .long MULTIBOOT_MAGIC
    .long MULTIBOOT_FLAGS
    .long -(MULTIBOOT_MAGIC + MULTIBOOT_FLAGS)
    .long multiboot_header  // header address
    .long __image_start     // load address
    .long __load_end        // end of the file's contents in memory
    .long __bss_end         // end of the zero-filled part
    .long boot_entry32      // entry point

    .section .text.boot32, "ax"
    .code32
    .globl boot_entry32
boot_entry32:
    cli
    cld
    mov %eax, %ebp                  // keep the loader's magic and information
    mov %ebx, %esi

    // The loader clears bss; clear it again so that any Multiboot loader will do.
    mov $__bss_start, %edi
    mov $__bss_end, %ecx
    sub %edi, %ecx
    shr $2, %ecx
    xor %eax, %eax
    rep stosl

    mov $boot_pdpt, %eax
    or $PAGE_PRESENT_WRITABLE, %eax
    mov %eax, boot_pml4

    mov $boot_page_directories, %eax  // PDPT entries 0-3: one directory per GiB
    or $PAGE_PRESENT_WRITABLE, %eax
    xor %ecx, %ecx
1:  mov %eax, boot_pdpt(, %ecx, 8)
    add $4096, %eax
    inc %ecx
    cmp $4, %ecx
    jne 1b

    mov $(PAGE_PRESENT_WRITABLE | PAGE_LARGE), %eax  // 2048 pages of 2 MiB
    xor %ecx, %ecx
2:  mov %eax, boot_page_directories(, %ecx, 8)
    add $0x200000, %eax
    inc %ecx
    cmp $2048, %ecx
    jne 2b

    mov %cr4, %eax
    or $(CR4_PAE | CR4_OSFXSR | CR4_OSXMMEXCPT), %eax
    mov %eax, %cr4
    mov $boot_pml4, %eax
    mov %eax, %cr3
    mov $MSR_EFER, %ecx
    rdmsr
    or $EFER_LME, %eax
    wrmsr
    mov %cr0, %eax
    and $~CR0_EM, %eax
    or $(CR0_PG | CR0_MP | CR0_PE), %eax
    mov %eax, %cr0

    lgdt boot_gdt_pointer
    ljmp $0x08, $boot_entry64

    .code64
boot_entry64:
    mov $0x10, %eax
    mov %eax, %ds
    mov %eax, %es
    mov %eax, %ss
    mov %eax, %fs
    mov %eax, %gs
    lea boot_stack_top(%rip), %rsp
    fninit
    mov %ebp, %edi                  // zero-extended: boot_main(magic, info)
    mov %esi, %esi
    call boot_main
3:  cli
    hlt
    jmp 3b

    .section .rodata
    .balign 8
boot_gdt:
    .quad 0
    .quad 0x00AF9A000000FFFF        // 0x08: 64-bit code
    .quad 0x00CF92000000FFFF        // 0x10: data
boot_gdt_end:
boot_gdt_pointer:
    .word boot_gdt_end - boot_gdt - 1
    .long boot_gdt

    .section .bss
    .balign 4096
boot_pml4:
    .skip 4096
boot_pdpt:
    .skip 4096
boot_page_directories:
    .skip 4 * 4096
    .balign 16
boot_stack:
    .skip BOOT_STACK_SIZE
boot_stack_top:
