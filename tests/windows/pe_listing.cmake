# read_pe_listing(FILE OUT): the headers and tables objdump -p prints for a
# PE file, or a fatal error naming the file when objdump fails.
function(read_pe_listing file out)
    execute_process(COMMAND ${OBJDUMP} -p ${file}
        OUTPUT_VARIABLE listing RESULT_VARIABLE status TIMEOUT 50)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${OBJDUMP} -p ${file} failed: ${status}")
    endif()
    set(${out} "${listing}" PARENT_SCOPE)
endfunction()
