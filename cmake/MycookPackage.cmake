# The Debian package ("make deb"): what "cmake --install" puts in place, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mycook)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "青柯工坊")
set(CPACK_PACKAGE_CONTACT "青柯工坊 <mycook@qingke.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "百味小筑 - a desktop recipe book")
set(CPACK_PACKAGE_DESCRIPTION
    "Keeps cooking recipes with their pictures in one recipe book and finds them by a word of the name or the ingredients, or by pinyin and initials as you type. A recipe is viewed with its picture, exported as RTF or PDF, printed or deleted. Recipes come in from MealMaster, Paprika, Gourmet and RecipeML files, recipe zips and saved web pages, and the whole book goes out as a recipe zip. The book is copied once a day into cook-backups. The command mycook-book imports into and exports a book from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Libraries come from the executables (also gumbo, libarchive, ICU and zlib of the
# import library); what they load by name is listed: the Song-style font and Qt's own
# Chinese texts (buttons and dialogs would be English without them), and the system's
# certificates that import by link checks web sites against.
# Opening the about page and exported files goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming, qt6-translations-l10n, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
include(CPack)
