# Copies the shipped defaults into the program folder without overwriting what a user changed.
foreach(f options.ini head.bmp)
  if(EXISTS ${SRC}/${f} AND NOT EXISTS ${DST}/${f})
    file(COPY ${SRC}/${f} DESTINATION ${DST})
  endif()
endforeach()

# The settings say where DICOM files with patient names go and which archive receives
# them: owner-only, as the program writes them.
if(EXISTS ${DST}/options.ini)
  file(CHMOD ${DST}/options.ini PERMISSIONS OWNER_READ OWNER_WRITE)
endif()

# The picture folder holds patient pictures: owner-only, as the program makes it.
file(MAKE_DIRECTORY ${DST}/img)
file(CHMOD ${DST}/img DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# The program folder is the user's alone (the program refuses to start in one that another
# account may write), whatever the umask the build ran under.
file(CHMOD ${DST} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
