#include "_Main.hpp"

#line 1 "Main.vn"


// Implementation of functions
Mid::Mid():
extra(4){
}
#line 4
Mid::Mid(int const VORN_argextra):extra(VORN_argextra){
}


int Top::sum(){
	return (size)+(extra);
}
int main(){
	Top top;
	int z=(top).get();
	int w=(top).size;
	int y=(top).sum();
	int n=helper(1);
	int m=deepest(2);
	printf("%d %d %d %d %d\n",z,w,y,n,m);
	return 0;
}
