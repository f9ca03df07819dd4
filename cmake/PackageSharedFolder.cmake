# Runs in cpack after the staging install: adds the computer's shared settings folder,
# /var/lib/dazuviz-velmora, sticky and writable by everybody (mode 1777), so that every user's
# copy can save the one settings file there and nobody can remove another user's files.
# install() cannot give a folder the sticky bit, so it is made here, in the staging tree only.
set(folder ${CPACK_TEMPORARY_DIRECTORY}/var/lib/dazuviz-velmora)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND chmod 1777 ${folder} COMMAND_ERROR_IS_FATAL ANY)
