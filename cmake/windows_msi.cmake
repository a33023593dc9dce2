# Makes the MSI (run by the msi target): installs the programs into a scratch
# folder, lists its files for the installer with wixl-heat and runs wixl.
#   cmake -DBINARY_DIR= -DSTAGE= -DWXS= -DOUTPUT= -DVERSION= -DICON= -DHOMEPAGE=
#         -DWIXL= -DWIXL_HEAT= -P windows_msi.cmake
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${STAGE}/Tovask --strip
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE files LIST_DIRECTORIES false ${STAGE}/Tovask/*)
list(SORT files)
list(JOIN files "\n" listing)
file(WRITE ${STAGE}/files.txt "${listing}\n")
# tovask.exe is in the .wxs itself: the shortcut and the file type name it.
execute_process(COMMAND ${WIXL_HEAT} -p ${STAGE}/Tovask/ --directory-ref INSTALLDIR --component-group TovaskFiles
                        --var var.SourceDir --win64 -x tovask.exe
                INPUT_FILE ${STAGE}/files.txt OUTPUT_FILE ${STAGE}/files.wxs COMMAND_ERROR_IS_FATAL ANY)
# wixl finds the files by paths relative to the folder it runs in.
file(COPY_FILE ${ICON} ${STAGE}/tovask.ico)
execute_process(COMMAND ${WIXL} -a x64 -D SourceDir=Tovask -D Version=${VERSION} -D IconFile=tovask.ico
                        -D HomePage=${HOMEPAGE} -D Win64=yes -o ${OUTPUT} ${WXS} files.wxs
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "${OUTPUT}")
