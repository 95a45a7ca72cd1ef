#include "Module.h"

#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>

namespace kelo::testhost {

using namespace Steinberg;

namespace {

using ModuleEntryFunction = bool (void*);
using ModuleExitFunction = bool ();
using GetFactoryFunction = IPluginFactory* ();

#if defined(__x86_64__)
constexpr const char* kArchitecture = "x86_64-linux";
#elif defined(__aarch64__)
constexpr const char* kArchitecture = "aarch64-linux";
#else
constexpr const char* kArchitecture = "i386-linux";
#endif

bool isDirectory (const std::string& path)
{
	struct stat info {};
	return stat (path.c_str (), &info) == 0 && S_ISDIR (info.st_mode);
}

} // namespace

std::string moduleLibraryPath (const std::string& path)
{
	if (!isDirectory (path))
		return path;
	std::string bundle = path;
	while (bundle.size () > 1 && bundle.back () == '/')
		bundle.pop_back ();
	std::string stem = bundle.substr (bundle.find_last_of ('/') + 1);
	const std::string extension = ".vst3";
	if (stem.size () > extension.size () &&
	    stem.compare (stem.size () - extension.size (), extension.size (), extension) == 0)
		stem.resize (stem.size () - extension.size ());
	return bundle + "/Contents/" + kArchitecture + "/" + stem + ".so";
}

Module::Module (const std::string& path) : library (moduleLibraryPath (path))
{
	handle = dlopen (library.c_str (), RTLD_LAZY | RTLD_LOCAL);
	if (!handle)
	{
		const char* reason = dlerror ();
		fail ("cannot open '" + library + "': " + (reason ? reason : "unknown reason"));
		return;
	}
	auto* entry = symbol<ModuleEntryFunction> ("ModuleEntry");
	if (!entry)
	{
		fail ("'" + library + "' does not export ModuleEntry");
		return;
	}
	if (!entry (handle))
	{
		fail ("ModuleEntry of '" + library + "' returned false");
		return;
	}
	entered = true;
	auto* getFactory = symbol<GetFactoryFunction> ("GetPluginFactory");
	if (!getFactory)
	{
		fail ("'" + library + "' does not export GetPluginFactory");
		return;
	}
	factoryPtr = getFactory ();
	if (!factoryPtr)
		fail ("GetPluginFactory of '" + library + "' returned null");
}

Module::~Module ()
{
	if (factoryPtr)
		factoryPtr->release ();
	factoryPtr = nullptr;
	if (entered)
	{
		if (auto* exit = symbol<ModuleExitFunction> ("ModuleExit"))
			exit ();
	}
	if (handle)
		dlclose (handle);
}

void Module::fail (std::string message)
{
	error = std::move (message);
}

void* Module::rawSymbol (const char* name) const
{
	if (!handle || !name)
		return nullptr;
	return dlsym (handle, name);
}

bool Module::findClass (const char* category, TUID cid) const
{
	if (!factoryPtr || !category)
		return false;
	const int32 count = factoryPtr->countClasses ();
	for (int32 index = 0; index < count; ++index)
	{
		PClassInfo info {};
		if (factoryPtr->getClassInfo (index, &info) != kResultOk)
			continue;
		if (std::strncmp (info.category, category, PClassInfo::kCategorySize) == 0)
		{
			std::memcpy (cid, info.cid, sizeof (TUID));
			return true;
		}
	}
	return false;
}

} // namespace kelo::testhost
