# Unity batches (CMAKE_UNITY_BUILD=ON) compile several .cpp files as one, so
# each batch parses the Qt and test headers once. A clean build is faster; a
# rebuild after touching one file compiles its whole batch.

# These files keep a file-local name (or a C header's macros) that clashes
# with a neighbour's, so they are compiled on their own.
function(tavolune_unity_alone directory)
  list(TRANSFORM ARGN PREPEND ${PROJECT_SOURCE_DIR}/${directory}/)
  set_source_files_properties(${ARGN} DIRECTORY ${PROJECT_SOURCE_DIR}/${directory}
    PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()

tavolune_unity_alone(core
  base/Url.cpp
  indexers/OpenSeaKeyStore.cpp
  indexers/TzKTProvider.cpp
  model/SeriesKey.cpp
  network/AddressResolver.cpp
  persistence/LibraryStore.cpp
  text/Phrases.cpp)
if(TAVOLUNE_APP)
  tavolune_unity_alone(app
    components/AddWalletField.cpp
    components/ThumbnailLoader.cpp
    desktop/CartelStyles.cpp
    inspector/LiveArtView.cpp
    menubar/PillButton.cpp
    onboarding/OnboardingView.cpp
    platform/linux/AnimationSettings.cpp
    platform/linux/SpawnedSVGRasterizer.cpp
    platform/linux/StatusNotifierTrayWatch.cpp
    platform/linux/X11DisplaySource.cpp
    platform/linux/XfceWallpaper.cpp
    render/FrameRenderer.cpp
    render/SVGDrawing.cpp
    stage/ArtStageVideo.cpp
    stage/ArtStageView.cpp)
endif()
if(TAVOLUNE_TESTS)
  tavolune_unity_alone(tests
    core/indexers/BlockscoutProviderTest.cpp
    core/indexers/EVMIndexerTest.cpp
    core/indexers/OpenSeaProviderTest.cpp
    core/indexers/OrdProviderTest.cpp
    core/indexers/SyncEngineTest.cpp
    core/indexers/TezosContractsTest.cpp
    core/indexers/TzKTProviderTest.cpp
    core/media/MediaCacheTest.cpp
    core/model/ExhibitionsTest.cpp
    core/model/RotationTest.cpp
    core/model/SyncResultTest.cpp
    core/network/AddressResolveTest.cpp
    core/persistence/TavolunePathsTest.cpp)
  if(TAVOLUNE_APP)
    tavolune_unity_alone(tests/app
      components/ThumbnailLoaderTest.cpp
      desktop/DesktopControllerStateTest.cpp
      desktop/DesktopPowerTest.cpp
      desktop/DesktopRotationTest.cpp
      desktop/DesktopStalePassesTest.cpp
      desktop/DesktopWallpapersTest.cpp
      desktop/PowerPolicyTest.cpp
      desktop/StageWindowTest.cpp
      menubar/MenuBarTextsTest.cpp
      model/FeedbackLinkTest.cpp
      platform/GnomeWallpaperDBusTest.cpp
      platform/IdleClockDBusTest.cpp
      platform/PowerSourcesDBusTest.cpp
      platform/SessionWatchDBusTest.cpp
      platform/TrayHostWatchDBusTest.cpp
      platform/WindowCoverageX11Test.cpp
      render/WallpaperComposerTest.cpp
      shell/ProgramX11Test.cpp
      stage/ArtStageViewTest.cpp
      stage/ArtStageWebTest.cpp
      stage/LayoutProbeWebTest.cpp)
  endif()
endif()
