#include "_Main.hpp"

#line 1 "Main.vn"


// Implementation of functions

#line 2
void show(std::map<int ,std::string > const & names,std::vector<int > const & values){
	{auto VORN_ITe=(values).begin();auto VORN_ENDe=(values).end();for(;(VORN_ITe)!=(VORN_ENDe);++(VORN_ITe)){[[maybe_unused]] auto&& e=*(VORN_ITe);
			printf("%d ",e);}}
	{auto VORN_ITe=(values).rbegin();auto VORN_ENDe=(values).rend();for(;(VORN_ITe)!=(VORN_ENDe);++(VORN_ITe)){[[maybe_unused]] auto&& e=*(VORN_ITe);
			printf("%d ",e);}}
	{auto VORN_ITn=(names).begin();auto VORN_ENDn=(names).end();for(;(VORN_ITn)!=(VORN_ENDn);++(VORN_ITn)){[[maybe_unused]] auto&& n=*(VORN_ITn);
			printf("%d=%s ",(n).first,((n).second).c_str());}}
	{auto VORN_ITn=(names).rbegin();auto VORN_ENDn=(names).rend();for(;(VORN_ITn)!=(VORN_ENDn);++(VORN_ITn)){[[maybe_unused]] auto&& n=*(VORN_ITn);
			printf("%d=%s ",(n).first,((n).second).c_str());}}
	putchar('\n');
}
int main(){
	{int k=0;for(;(k)<=(3);++(k)){
			printf("%d ",k);}}
	putchar('\n');
	{int k=0;for(;(k)<(3);++(k)){
			printf("%d ",k);}}
	putchar('\n');
	{int k=0;for(++(k);(k)<=(3);++(k)){
			printf("%d ",k);}}
	putchar('\n');
	{int k=0;for(++(k);(k)<(3);++(k)){
			printf("%d ",k);}}
	putchar('\n');
	{int k=3;for(++(k);((k)--)>(0);){
			printf("%d ",k);}}
	putchar('\n');
	{int k=3;for(;((k)--)>(0);){
			printf("%d ",k);}}
	putchar('\n');
	{int k=3;for(;(k)>(0);--(k)){
			printf("%d ",k);}}
	putchar('\n');
	{int k=3;for(;((k)>(0))&&((--(k))>(0));){
			printf("%d ",k);}}
	putchar('\n');
	std::vector<int > v;
	(v).push_back(3);
	(v).push_back(5);
	(v).push_back(8);
	{auto VORN_ITx=(v).begin();auto VORN_ENDx=(v).end();for(;(VORN_ITx)!=(VORN_ENDx);++(VORN_ITx)){[[maybe_unused]] auto&& x=*(VORN_ITx);
			printf("%d ",x);}}
	{auto VORN_ITx=(v).rbegin();auto VORN_ENDx=(v).rend();for(;(VORN_ITx)!=(VORN_ENDx);++(VORN_ITx)){[[maybe_unused]] auto&& x=*(VORN_ITx);
			printf("%d ",x);}}
	putchar('\n');
	std::map<int ,std::string > m;
	(m).emplace(2,"two");
	(m).emplace(1,"one");
	(m).emplace(3,"three");
	{auto VORN_ITentry=(m).begin();auto VORN_ENDentry=(m).end();for(;(VORN_ITentry)!=(VORN_ENDentry);++(VORN_ITentry)){[[maybe_unused]] auto&& entry=*(VORN_ITentry);
			printf("%d:%s ",(entry).first,((entry).second).c_str());}}
	{auto VORN_ITentry=(m).rbegin();auto VORN_ENDentry=(m).rend();for(;(VORN_ITentry)!=(VORN_ENDentry);++(VORN_ITentry)){[[maybe_unused]] auto&& entry=*(VORN_ITentry);
			printf("%d:%s ",(entry).first,((entry).second).c_str());}}
	putchar('\n');
	show(m,v);
	return 0;
}
